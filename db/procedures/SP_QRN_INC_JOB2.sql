-- params: Usuario_internet_id, Funcao_ID, Titulo_Email, Flag_Envia_Email, Usuario_Alteracao_ID, Texto_Email, Endereco_Email, Tab_Status_JOB_ID, Email_Remetente, Endereco_anexo, Data_Inicio
-- Queues a request for a background job (its parameters are stored next, by
-- SP_QRN_INCLUI_PARAMETRO_JOB) and writes the change log of the new row, as
-- the component itself does where it writes the row with plain statements.
-- The first user owns the job; the second is the one the change log names.
--
-- Ids come from infra_ids, which the plain-statement path also counts from.
-- The whole body is one write transaction, so reading and moving the counter
-- cannot interleave with another closing. A counter found behind the ids
-- already in the table (rows written by other means) is moved past them.
--
-- Answers retorno 0 and the new LOG_GERADOR_ID, or 1 with the reason in
-- Msg_Ret and nothing written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, CASE WHEN :Funcao_ID IS NULL THEN 'Função de JOB não informada.'
                  ELSE 'Função de JOB não cadastrada: ' || :Funcao_ID || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM FUNCAO WHERE FUNCAO_ID = :Funcao_ID)
UNION ALL
SELECT 2, 1, 'Indicador de envio de e-mail inválido: ' || :Flag_Envia_Email || ' (S/N).'
 WHERE :Flag_Envia_Email NOT IN ('S', 'N')
UNION ALL
SELECT 3, 1, 'Informe o destinatário do e-mail.'
 WHERE :Flag_Envia_Email = 'S' AND coalesce(trim(:Endereco_Email), '') = ''
UNION ALL
-- Read as a day number and back, 31 February comes out as 3 March: not the date typed.
SELECT 4, 1, 'Data de início do JOB inválida: ' || :Data_Inicio || '.'
 WHERE :Data_Inicio IS NOT NULL
   AND strftime('%Y/%m/%d', julianday(replace(trim(:Data_Inicio), '/', '-')))
       IS NOT substr(trim(:Data_Inicio), 1, 10)
UNION ALL
SELECT 5, 1, 'Não há registro na tabela infra_ids.'
 WHERE NOT EXISTS (SELECT 1 FROM infra_ids);

UPDATE infra_ids
   SET LOG_GERADOR_ID = max(LOG_GERADOR_ID, coalesce((SELECT max(LOG_GERADOR_ID) FROM LOG_GERADOR), 0)) + 1,
       LOG_SISTEMA_ID = max(LOG_SISTEMA_ID, coalesce((SELECT max(LOG_SISTEMA_ID) FROM LOG_SISTEMA), 0)) + 1
 WHERE NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

INSERT INTO LOG_GERADOR (LOG_GERADOR_ID, USUARIO_INTERNET_ID, FUNCAO_ID, TITULO_EMAIL, FLAG_ENVIA_EMAIL,
                         TEXTO_EMAIL, ENDERECO_EMAIL, Tab_Status_JOB_ID, Data_Inicio, Email_Remetente,
                         Endereco_anexo)
SELECT i.LOG_GERADOR_ID, :Usuario_internet_id, :Funcao_ID, :Titulo_Email, :Flag_Envia_Email,
       :Texto_Email, :Endereco_Email, :Tab_Status_JOB_ID,
       strftime('%Y/%m/%d %H:%M:%S', replace(trim(:Data_Inicio), '/', '-')), :Email_Remetente,
       :Endereco_anexo
  FROM infra_ids i
 WHERE NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

-- 490 is the change-log code of LOG_GERADOR, 1 an inclusion.
INSERT INTO LOG_SISTEMA (LOG_SISTEMA_ID, TABELA_SISTEMA_ID, TAB_TIPO_ACAO_ID, USUARIO_ID, registro_id, data_log)
SELECT i.LOG_SISTEMA_ID, 490, 1, coalesce(:Usuario_Alteracao_ID, :Usuario_internet_id), i.LOG_GERADOR_ID,
       strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime')
  FROM infra_ids i
 WHERE NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret,
       (SELECT LOG_GERADOR_ID FROM infra_ids
         WHERE NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA))                       AS LOG_GERADOR_ID;

DELETE FROM RECUSA_CHAMADA;
