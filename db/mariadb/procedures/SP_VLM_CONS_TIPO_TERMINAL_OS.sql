-- params: Ordem_Servico_ID
-- Whether the terminal where the order's full container is taken or
-- delivered is an inland one (INDIC_TERMINAL_INTERIOR 'S'). Always answers
-- one row: retorno 1 with the reason in Msg_Ret for an unknown order or one
-- without a full-container terminal.
CREATE PROCEDURE SP_VLM_CONS_TIPO_TERMINAL_OS(IN p_Ordem_Servico_ID INT)
  READS SQL DATA
BEGIN
  SELECT CASE WHEN t.FORNECEDOR_ID IS NULL THEN 1 ELSE 0 END AS retorno,
         CASE WHEN p_Ordem_Servico_ID IS NULL
                THEN 'Ordem de serviço não informada.'
              WHEN os.ORDEM_SERVICO_ID IS NULL
                THEN CONCAT('Ordem de serviço não cadastrada: ', p_Ordem_Servico_ID, '.')
              WHEN t.FORNECEDOR_ID IS NULL
                THEN CONCAT('A ordem de serviço ', os.NUM_OS, ' não tem terminal de cheio.')
         END                                                  AS Msg_Ret,
         t.INDIC_TERMINAL_INTERIOR                            AS INDIC_TERMINAL_INTERIOR
    FROM (SELECT 1 AS um) AS uma
    LEFT JOIN ORDEM_SERVICO os ON os.ORDEM_SERVICO_ID = p_Ordem_Servico_ID
    LEFT JOIN TERMINAL t       ON t.FORNECEDOR_ID = os.TERMINAL_CHEIO_ID;
END
