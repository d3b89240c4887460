-- params: LOG_GERADOR_ID, TXT_QUERY, Usuario_internet_id
-- Stores the parameter text of a queued job and writes the change log of the
-- update, with the same codes as the component's plain-statement path.
-- Answers retorno 0, or 1 with the reason in Msg_Ret and nothing written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, CASE WHEN :LOG_GERADOR_ID IS NULL THEN 'JOB não informado.'
                  ELSE 'JOB não cadastrado: ' || :LOG_GERADOR_ID || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM LOG_GERADOR WHERE LOG_GERADOR_ID = :LOG_GERADOR_ID)
UNION ALL
SELECT 2, 1, 'Não há registro na tabela infra_ids.'
 WHERE NOT EXISTS (SELECT 1 FROM infra_ids);

UPDATE LOG_GERADOR
   SET TXT_QUERY = :TXT_QUERY
 WHERE LOG_GERADOR_ID = :LOG_GERADOR_ID
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

UPDATE infra_ids
   SET LOG_SISTEMA_ID = max(LOG_SISTEMA_ID, coalesce((SELECT max(LOG_SISTEMA_ID) FROM LOG_SISTEMA), 0)) + 1
 WHERE NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

INSERT INTO LOG_SISTEMA (LOG_SISTEMA_ID, TABELA_SISTEMA_ID, TAB_TIPO_ACAO_ID, USUARIO_ID, registro_id, data_log)
SELECT i.LOG_SISTEMA_ID, 490, 1, :Usuario_internet_id, :LOG_GERADOR_ID,
       strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime')
  FROM infra_ids i
 WHERE NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret;

DELETE FROM RECUSA_CHAMADA;
