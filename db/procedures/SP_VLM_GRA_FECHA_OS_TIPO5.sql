-- params: Ordem_Servico_Tipo_ID, Data_Ini_Execucao, Data_Fim_Execucao, Data_Retirada_Terminal, Data_Entrega_Terminal, Tab_Status_OS_Tipo_ID, Placa, Usuario_internet_id, Tab_Tipo_Docto_ID, ID_Sistema_Externo
-- Stores the closing of a service-type record: execution start and end, the
-- terminal times, the state it moves to (the closing passes 2, closed), the
-- tractor plate and the transport document. Once the order has gone to
-- payment its closing is frozen. A terminal time left out keeps what the
-- terminal already reported. When the last open record of an order is
-- closed, the order moves on from awaiting its closing to awaiting checking.
--
-- Dates come as 'yyyy/mm/dd hh:mm' (or with seconds) and are stored with
-- seconds. Answers retorno 0, or 1 with the reason in Msg_Ret and nothing
-- written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, CASE WHEN :Ordem_Servico_Tipo_ID IS NULL THEN 'Ordem de serviço tipo não informada.'
                  ELSE 'Ordem de serviço tipo não cadastrada: ' || :Ordem_Servico_Tipo_ID || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM ORDEM_SERVICO_TIPO WHERE ORDEM_SERVICO_TIPO_ID = :Ordem_Servico_Tipo_ID)
UNION ALL
SELECT 2, 1, 'Ordem de serviço tipo cancelada: o fechamento não pode ser gravado.'
  FROM ORDEM_SERVICO_TIPO
 WHERE ORDEM_SERVICO_TIPO_ID = :Ordem_Servico_Tipo_ID AND TAB_STATUS_OS_TIPO_ID = 3
UNION ALL
SELECT 3, 1, 'A ordem de serviço ' || os.NUM_OS || ' está ' || lower(sp.DESC_TAB_STATUS_PAGTO_OS) ||
             ': o fechamento não pode mais ser alterado.'
  FROM ORDEM_SERVICO_TIPO ost
  JOIN ORDEM_SERVICO os        ON os.ORDEM_SERVICO_ID = ost.ORDEM_SERVICO_ID
  JOIN TAB_STATUS_PAGTO_OS sp  ON sp.TAB_STATUS_PAGTO_OS_ID = os.TAB_STATUS_PAGTO_OS_ID
 WHERE ost.ORDEM_SERVICO_TIPO_ID = :Ordem_Servico_Tipo_ID AND sp.INDIC_OS_EM_PAGAMENTO = 'S'
UNION ALL
SELECT 4, 1, 'Informe a data e a hora de início e de fim da execução.'
 WHERE :Data_Ini_Execucao IS NULL OR :Data_Fim_Execucao IS NULL
UNION ALL
-- The first date that does not read back as typed: as a day number and back,
-- 31 February comes out as 3 March.
SELECT 5, 1, 'Data inválida: ' || DATA || '.'
  FROM (SELECT DATA
          FROM (SELECT 1 AS ORDEM, :Data_Ini_Execucao AS DATA
                UNION ALL SELECT 2, :Data_Fim_Execucao
                UNION ALL SELECT 3, :Data_Retirada_Terminal
                UNION ALL SELECT 4, :Data_Entrega_Terminal)
         WHERE DATA IS NOT NULL
           AND strftime('%Y/%m/%d', julianday(replace(trim(DATA), '/', '-'))) IS NOT substr(trim(DATA), 1, 10)
         ORDER BY ORDEM
         LIMIT 1)
UNION ALL
SELECT 6, 1, CASE WHEN :Tab_Status_OS_Tipo_ID IS NULL THEN 'Situação da ordem de serviço tipo não informada.'
                  ELSE 'Situação da ordem de serviço tipo não cadastrada: ' || :Tab_Status_OS_Tipo_ID || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM TAB_STATUS_OS_TIPO WHERE TAB_STATUS_OS_TIPO_ID = :Tab_Status_OS_Tipo_ID)
UNION ALL
SELECT 7, 1, 'Tipo de documento não cadastrado: ' || :Tab_Tipo_Docto_ID || '.'
 WHERE :Tab_Tipo_Docto_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM TAB_TIPO_DOCTO WHERE TAB_TIPO_DOCTO_ID = :Tab_Tipo_Docto_ID)
UNION ALL
SELECT 8, 1, 'Usuário não cadastrado: ' || :Usuario_internet_id || '.'
 WHERE :Usuario_internet_id IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = :Usuario_internet_id);

UPDATE ORDEM_SERVICO_TIPO
   SET DATA_INI_EXECUCAO      = strftime('%Y/%m/%d %H:%M:%S', replace(trim(:Data_Ini_Execucao), '/', '-')),
       DATA_FIM_EXECUCAO      = strftime('%Y/%m/%d %H:%M:%S', replace(trim(:Data_Fim_Execucao), '/', '-')),
       DATA_RETIRADA_TERMINAL = coalesce(strftime('%Y/%m/%d %H:%M:%S', replace(trim(:Data_Retirada_Terminal), '/', '-')),
                                         DATA_RETIRADA_TERMINAL),
       DATA_ENTREGA_TERMINAL  = coalesce(strftime('%Y/%m/%d %H:%M:%S', replace(trim(:Data_Entrega_Terminal), '/', '-')),
                                         DATA_ENTREGA_TERMINAL),
       TAB_STATUS_OS_TIPO_ID  = :Tab_Status_OS_Tipo_ID,
       PLACA                  = upper(trim(:Placa)),
       USUARIO_FECHAMENTO_ID  = :Usuario_internet_id,
       TAB_TIPO_DOCTO_ID      = :Tab_Tipo_Docto_ID,
       ID_SISTEMA_EXTERNO     = :ID_Sistema_Externo,
       DATA_FECHAMENTO        = strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime')
 WHERE ORDEM_SERVICO_TIPO_ID = :Ordem_Servico_Tipo_ID
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

UPDATE ORDEM_SERVICO
   SET TAB_STATUS_PAGTO_OS_ID = 2
 WHERE ORDEM_SERVICO_ID = (SELECT ORDEM_SERVICO_ID FROM ORDEM_SERVICO_TIPO
                            WHERE ORDEM_SERVICO_TIPO_ID = :Ordem_Servico_Tipo_ID)
   AND TAB_STATUS_PAGTO_OS_ID = 1
   AND NOT EXISTS (SELECT 1 FROM ORDEM_SERVICO_TIPO ost
                    WHERE ost.ORDEM_SERVICO_ID = ORDEM_SERVICO.ORDEM_SERVICO_ID
                      AND ost.TAB_STATUS_OS_TIPO_ID = 1)
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret;

DELETE FROM RECUSA_CHAMADA;
